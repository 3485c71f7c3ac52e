// Running a piece of a test without the rights the test's own files grant.
#pragma once

#include <sys/resource.h>

#include <functional>
#include <string>

// Runs `body` without the right to write files the test made: as another user when the tests
// run as root (for whom permission bits mean nothing), else directly. With a file-size limit
// (bytes) it always runs in a process of its own, where writes past the limit fail. True when
// `body` was.
bool RunUnprivileged(const std::string& folder, const std::function<bool()>& body, rlim_t file_size_limit = 0);
