// CStatic: a static control; owner-drawn statics paint in DrawItem, which the
// parent reflects back to them.
#pragma once

#include "framework/OwnerDrawWnd.h"

class CStatic : public COwnerDrawWnd {};
