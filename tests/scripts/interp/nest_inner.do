global depth = $depth + 1
quietly do nest_inner.do
