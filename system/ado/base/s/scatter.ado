*! scatter: y variables against an x variable as markers
program scatter
	version 9.2
	overlay (scatter `0')
end
