* numbers under the default format: best fit in 10 columns, blanks trimmed
display 1/3
display 2/3
display 100/3
display -1/3
display 1234567
display 12345678
display 123456789
display 1234567890
display 1e-5
display 1e-6
display 0.1+0.2
display -0
display 1e300
display -1e-300
* best fit in a given width
display %9.0g 1234567 "|"
display %9.0g 12345678 "|"
display %9.0g 123456789012 "|"
display %-9.0g 3.5 "|"
display %9.0gc 1234567.8 "|"
display %12.0gc 1234567 "|"
display %12.0gc -1234.5678 "|"
* significant digits
display %9.2g 123.456 "|"
display %9.2g 1.2345 "|"
display %9.2g 0.012345 "|"
display %10.4g 3.14159265 "|"
display %12.6g 0.000000314159 "|"
display %9.3g 1e20 "|"
* fixed
display %9.2f 3.14159 "|"
display %3.2f 123.45 "|"
display %4.2f 123456.78 "|"
display %9.2f -1234567 "|"
display %09.2f 3.14159 "|"
display %-9.2f 3.14159 "|"
display %9.2f -0 "|"
display %12.2fc 1234567.891 "|"
display %10.2fc 1234567.891 "|"
display %-14.2fc -1234.5 "|"
display %30.2f 1.5 "|"
display %-30.2f 1.5 "|"
* exponential
display %9.2e 1234567.89 "|"
display %-12.2e 1234567.89 "|"
display %10.2e -0.000123 "|"
display %12.3e 1e-200 "|"
display %10.0e 1.5 "|"
* hexadecimal and bytes
display %21x 1
display %21x -0.5
display %21x 0
display %16H 1
display %16L 1
display %8H 1
display %8L 1
* missing values
display .
display .b
display %9.2f .b "|"
display %-9.2f .z "|"
display %9.0g . "|"
display %21x .
* decimal comma
display %9,1f 1234.5 "|"
display %12,0gc 1234567 "|"
set dp comma
display %9.1f 1234.5 "|"
display 1/3
display %12.0gc 1234567 "|"
display %9.2f .b "|"
set dp period
display 1/3
display %9.1f 1234.5 "|"
cap noi set dp semicolon
* invalid formats
cap noi display %0.0f 1
cap noi display %245.0g 1
cap noi display %9.9f 1
cap noi display %5.2gc, 1
cap noi display %~9.2f 1
cap noi display %20x 1
