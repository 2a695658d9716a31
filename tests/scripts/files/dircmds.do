* Files and folders: mkdir, cd, pwd, dir, copy, cat, erase, rmdir.
* Everything happens inside a fresh folder, and names are shown relative.
local top "`c(pwd)'"
mkdir scratch
cap noi mkdir scratch
display _rc
cd scratch
display substr("`c(pwd)'", length("`top'") + 1, .)
pwd
* a text file to work on
quietly input str12 s
"first line"
"second line"
end
outfile s using "notes one.txt", noquote
cat "notes one.txt"
type "notes one.txt"
copy "notes one.txt" two.txt
cat two.txt
cap noi copy "notes one.txt" two.txt
display _rc
copy "notes one.txt" two.txt, replace
cap noi copy nosuch.txt three.txt
display _rc
cap noi copy two.txt two.txt, replace
cap noi copy two.txt
cap noi copy two.txt three.txt, nosuch
mkdir sub
copy two.txt sub
cp two.txt sub/copied.txt
dir, wide
ls sub, wide
dir *.txt, wide
dir "sub/*.txt", w
cap noi dir nosuch.txt
cap noi dir nosuchfolder/
* folders and files are not mixed up
cap noi erase sub
display _rc
cap noi rmdir two.txt
cap noi cat sub
cap noi rmdir sub
display _rc
erase sub/two.txt
erase sub/copied.txt
rmdir sub
cap noi rmdir sub
cap noi erase nosuch.txt
cap noi cat nosuch.txt
* ~ is the home folder
cd ~
assert "`c(pwd)'" == "`:env HOME'/" | "`c(pwd)'" == "`:env HOME'"
cd "`top'scratch"
display substr("`c(pwd)'", length("`top'") + 1, .)
* chdir is cd; a folder that is not there, or a file, cannot be entered
cap noi chdir nosuchfolder
display _rc
cap noi cd two.txt
display _rc
cd ..
assert "`c(pwd)'" == "`top'"
erase "scratch/notes one.txt"
erase scratch/two.txt
rmdir scratch
cap noi dir scratch
* names are required
cap noi erase
cap noi mkdir
cap noi cat
cap noi cd a b
