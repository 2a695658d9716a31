* about and query build: the release, how this executable was built and the
* libraries it runs with. Versions and dates differ between machines, so
* about.sed turns each into its shape; a row whose library cannot say its
* version ("unknown") would keep its text and fail.
about
query build
* Only the build group: no other group shows.
query bui
* Errors: about takes nothing; query build takes nothing more; a too short
* abbreviation is no group.
capture noisily about now
display _rc
capture noisily query build extra
display _rc
capture noisily query bu
display _rc
