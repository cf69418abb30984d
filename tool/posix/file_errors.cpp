#include "file_errors.h"

#include <cerrno>

bool nameTakenByErrno(int error) { return error == EEXIST; }
