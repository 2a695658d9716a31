// `about` and the build group of `query`: the version, the build and the
// linked libraries with their versions, through the output channel.
#pragma once

// Prints the build rows in the layout of a `query` group.
void about_querygroup();
