s/^( +c\(current_date\) = )"[0-9]{1,2} (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4}"$/\1"D Mon YYYY"/
s/^( +c\(current_time\) = )"[0-9]{2}:[0-9]{2}:[0-9]{2}"$/\1"hh:mm:ss"/
s/^( +c\(osdtl\) = )"[^"]*"$/\1"KERNEL"/
s/^( +c\(machine_type\) = )"[^"]*"$/\1"MACHINE"/
s/^( +c\(sysdir_zelta\) = )"\/[^"]*\/"$/\1"ZELTADIR\/"/
s/^( +c\(sysdir_(updates|base|site)\) = )"\/[^"]*\/(ado\/[a-z]+\/)"$/\1"ZELTADIR\/\3"/
