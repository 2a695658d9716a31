*! help: shows the help of a command or topic; the finding and showing are built in
program define help
	version 9.2
	chelp `0'
end
