// Identifiers of the executable's resources, shared by the resource script and the code
// that loads them. The icon has the lowest identifier: Explorer shows the first icon
// group of an executable as its picture.
#pragma once

#define ZELFIX_ICON_ID 1
#define ZELFIX_MANIFEST_ID 1
#define ZELFIX_VERSION_ID 1
