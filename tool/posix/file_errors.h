#pragma once

// Whether an exclusive creation failed because the name exists (EEXIST, a symbolic link
// included), so that the next name is worth trying; any other errno is final.
bool nameTakenByErrno(int error);
