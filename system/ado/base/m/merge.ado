*! merge: joins a dataset file to the data in memory (one to one or by keys)
program merge
	_merge `0'
end
