* gdi: every subcommand's effect on the registers and on the recorded stream,
* listed record by record with its bytes.
clear
cap noi gdi pen = 2
di _rc
gdi init 8 6 255 255 255
_gph dump, nohex
* a page of 6 by 8 inches
gdi init 6 8 0 0 0, usepens
_gph dump
gdi init 6 4 10 20 30
* registers: each recorded once; repeating a value records nothing
gdi pen = 3
gdi pen = 3
gdi linergb = 1 2 3
gdi gm_linewidth = 2.5
gdi linedash = 100 50
gdi linedash =
gdi penchange
gdi penchange
gdi scatterline_connect_type = stairstep
gdi scatterline_connect_missing = yes
gdi shadergb = 4 5 6
gdi shadelevel = 50
gdi shadepattern = pattern3
gdi shadepattern = background
gdi shadechange
gdi textrgb = 7 8 9
gdi textsize = 2*7
gdi gm_textsize = 1000
gdi textangle = 90
gdi texthalign = right
gdi textvalign = bottom
gdi textfont = Serif
gdi textchange
gdi gbeta = 2
gdi gm_symbolsize = 500
gdi symbolsize = 300
gdi symbol = smdia
gdi symbol = x
gdi gm_jitter = 0
gdi jitterseed = 5
gdi xbounds = 1 2
gdi ybounds = -1 1
gdi xtransform = ln
gdi ytransform = linear
gdi xalpha = 100
gdi xbeta = 10
gdi yalpha = 200
gdi ybeta = 20
* drawing calls under the transforms: x is ln(x) * 10 + 100
gdi moveto 1 1
gdi lineto 2.718281828 2
gdi lineto 0 3
gdi rmoveto 1 1
gdi rlineto 1 -1
gdi gm_rmoveto 10 10
gdi gm_rlineto -5 5
gdi xtransform = linear
gdi line 1 2 3 4
gdi rectangle 0 0 10 10
gdi point 5 5
gdi cpoint
gdi text 1 1 a label
gdi text 1 1
gdi ctext here
gdi pieslice 10 10 5 0 90
gdi polybegin
gdi polybegin
gdi lineto 1 1
gdi polyend
gdi polyend
gdi pointcloud 1 2 3 4 5 6 7
gdi update
* missing coordinates draw nothing and succeed
gdi moveto . 1
gdi line 1 2 . 4
gdi point 1 .a
gdi text . 1 t
* recording off: the call runs but is not kept
gdi record = no
gdi point 9 9
gdi record = yes
gdi maybedraw = no
gdi maybedraw = yes
gdi resetregs
gdi end
_gph dump
* errors
cap noi gdi
di _rc
cap noi gdi nosuch
di _rc
cap noi gdi pen 3
di _rc
cap noi gdi pen = 10
di _rc
cap noi gdi pen = 3 4
di _rc
cap noi gdi pe = 3
di _rc
cap noi gdi linergb = 1 2 256
di _rc
cap noi gdi linergb = 1 -2 3
di _rc
cap noi gdi linergb = 1 2
di _rc
cap noi gdi shadepattern = pattern11
di _rc
cap noi gdi texthalign = middle
di _rc
cap noi gdi symbol = smd
di _rc
cap noi gdi symbol = hexagon
di _rc
cap noi gdi moveto 1 x
di _rc
cap noi gdi line 1 2 3
di _rc
cap noi gdi textsize = nosuchvar
di _rc
cap noi gdi init 0.5 4 0 0 0
di _rc
cap noi gdi init 6 21 0 0 0
di _rc
cap noi gdi init 6 4 0 0 300
di _rc
cap noi gdi init 6 4 0 0 0, wide
di _rc
cap noi gdi linedash = 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19
di _rc
cap noi gdi record = maybe
di _rc
cap noi gdi scatter 42 1 2
di _rc
