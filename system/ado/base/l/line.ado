*! line: y variables against an x variable as lines, in the order of x
program line
	version 9.2
	overlay (line `0')
end
