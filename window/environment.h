#pragma once
// The process's environment as the pickers read it, in UTF-8.

#include <string>

// The value of the environment variable `name`, or empty when it is not set.
std::string EnvironmentValue(const std::string& name);
// True where environment variables are written %NAME% (Windows), false where $NAME.
bool PercentVariables();
