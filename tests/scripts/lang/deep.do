* twelve nested loops: 2^12 passes through the innermost body
local n 0
forvalues i0 = 1/2 {
  forvalues i1 = 1/2 {
    forvalues i2 = 1/2 {
      forvalues i3 = 1/2 {
        forvalues i4 = 1/2 {
          forvalues i5 = 1/2 {
            forvalues i6 = 1/2 {
              forvalues i7 = 1/2 {
                forvalues i8 = 1/2 {
                  forvalues i9 = 1/2 {
                    forvalues i10 = 1/2 {
                      forvalues i11 = 1/2 {
                        local n = `n' + 1
                      }
                    }
                  }
                }
              }
            }
          }
        }
      }
    }
  }
}
display "`n'"
