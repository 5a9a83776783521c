#include "result.h"

#include "systemfiles.h"

SystemError SystemError::of(int number)
{
    return {number, SystemFiles::errorText(number)};
}
