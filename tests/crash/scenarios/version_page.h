// The text variable of the scenarios' version line, alone on its page: a scenario takes
// the page's access away to make the composition fail.
#pragma once

struct alignas(4096) VersionPage {
  const char* text;
  char rest[4096 - sizeof(const char*)];
};

extern VersionPage g_version_page;
