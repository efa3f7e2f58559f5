#include <cstdlib>

#include "test_support/temp_folder.h"

void SetEnvironmentValue(const std::string& name, const std::string& value) {
    _putenv_s(name.c_str(), value.c_str());
}
