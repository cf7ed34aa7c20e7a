#pragma once
#include <string>

// What makes a saved or typed password unusable, as the text the operator is shown
// (CP932); empty when it can be used. The password is trimmed first.
std::string passwordProblem(std::string& password);
