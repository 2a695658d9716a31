*! describe: the dataset's variables, types, formats and labels, or a file's
program describe
	version 9.2
	_dtadescribe `0'
end
