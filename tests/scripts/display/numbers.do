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
* a format of each kind through display (the renderer itself is checked
* case by case in the unit tests)
display %9.0g 12345678 "|"
display %12.0gc -1234.5678 "|"
display %9.2g 0.012345 "|"
display %9.2f 3.14159 "|"
display %9.2e 1234567.89 "|"
display %21x 1
display %21x 0
display %16H 1
display %16L 1
* missing values
display .
display .b
display %9.2f .b "|"
* decimal comma
set dp comma
display %9.1f 1234.5 "|"
display 1/3
display %12.0gc 1234567 "|"
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
