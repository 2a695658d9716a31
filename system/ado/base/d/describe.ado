*! describe: the dataset's variables, types, formats and labels
program describe
	version 9.2
	_describe `0'
end
