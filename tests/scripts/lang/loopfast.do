* Loop bodies re-run the same lines many times: the arithmetic of literal
* numbers, the command lookup and the line buffers are reused between
* iterations and must give what a single line gives.
local a = 007 + 1
display "`a'"
local b = 999999999999999 + 1
display "`b'"
local c = 1234567890123456 + 1
display "`c'"
local d = 1e3 + 1
display "`d'"
local e = -5 - 3
display "`e'"
local f = -0 * 1
display "`f'"
local g = 1.5 + .25
display "`g'"
local h = 10 / 4
display "`h'"
local k = 3 + .a
display "`k'"
* a counter, a running sum and a line that changes command between steps
local s 0
forvalues i = 1/5 {
    local s = `s' + `i'
    local w = cond(mod(`i', 2), "display", "local last")
    `w' "step `i' sum `s'"
}
display "`s' `last'"
* nested loops, each body a few commands deep
local n 0
foreach x in 1 2 3 {
    forvalues j = 1/3 {
        local n = `n' + `x' * `j'
    }
}
display "`n'"
* a command word that names different things at different versions
capture noisily ereturn list
version 7: capture noisily ereturn list
capture noisily ereturn list
