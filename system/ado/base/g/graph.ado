*! graph: graphs in memory and graph files: save, use, export, display, dir, drop, dump,
*  combine (stored graphs as panels of one) and schemes (the looks that can be set)
program graph
	version 9.2
	gettoken sub 0 : 0, parse(" ,")
	local n = length(`"`sub'"')
	if `"`sub'"' == "" {
		di as err "graph subcommand required"
		exit 198
	}
	if `"`sub'"' == substr("save", 1, max(`n', 3)) {
		_gph save `0'
	}
	else if `"`sub'"' == "use" {
		_gph use `0'
	}
	else if `"`sub'"' == substr("export", 1, max(`n', 3)) {
		_gph export `0'
	}
	else if `"`sub'"' == substr("display", 1, max(`n', 2)) {
		_gph display `0'
	}
	else if `"`sub'"' == "dir" {
		_gph dir `0'
	}
	else if `"`sub'"' == "drop" {
		_gph drop `0'
	}
	else if `"`sub'"' == "dump" {
		_gph dump `0'
	}
	else if `"`sub'"' == substr("combine", 1, max(`n', 4)) {
		_gcombine `0'
	}
	else if `"`sub'"' == "schemes" {
		_gscheme dir `0'
	}
	else {
		di as err `"graph subcommand `sub' not recognized"'
		exit 199
	}
end
