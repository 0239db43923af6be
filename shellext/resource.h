#pragma once
#define IDB_MENU_GLYPH 124
