#pragma once
// Whether a host is a public suffix: a name under which anyone may register
// sites of their own ("co.uk", "github.io"), so that what it names belongs
// to many owners. The build compiles the distribution's public suffix list
// in; a single label (a top-level domain, an intranet host) is one as well.
// Letter case does not matter, a trailing dot is dropped.
#include <string>

bool IsPublicSuffix(std::string host);
