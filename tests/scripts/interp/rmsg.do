* settings owned by the loop, and bad settings
set rmsg off
capture noisily set rmsg maybe
capture noisily set nosuchsetting on
capture noisily set
