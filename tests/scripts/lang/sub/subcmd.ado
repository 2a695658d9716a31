program define subcmd
  display "found along the changed ado-path"
end
