#include "model/P25Class.h"

// Nothing is stored on disk yet: a new system or site starts empty.
bool P25Class::LoadSystemFolder()
{
    return false;
}

bool P25Class::LoadTowerFile()
{
    return false;
}
