// Resource ids shared by corvantis.rc and the code that loads them.
#pragma once

#define IDI_CORVANTIS 101
