#pragma once
// One walk of each store for the passes that wait together: each cleaner
// that is switched on runs once for all their hosts, in the order cookies
// (with website data), cache, typed addresses, History, and then its
// counter grows by the number of passes the walk served, as if each had
// run on its own.
#include <functional>
#include <string>
#include <vector>

#include "PassDeadline.h"

// The hosts a pass of these domains cleans for: each domain's bare host
// (the browser keeps a site's cookies under it), where it names a site at
// all, once each.
std::vector<std::string> CleaningHosts(const std::vector<std::string>& domains);

// Runs the walk, reading the switches now (a policy over the user's), and
// counts `passes` in each category that ran to its end. What the white list
// keeps stays, whatever the hosts find. False when the deadline cut it short.
// Between two categories it calls between (if given).
bool RunCleaningWalk(std::vector<std::string> hosts, const std::vector<std::string>& keep, unsigned passes,
                     const CPassDeadline& deadline, const std::function<void()>& between = {});
