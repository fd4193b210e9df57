#include "logview/OwnerDrawStatic.h"

COwnerDrawStatic::COwnerDrawStatic()
{
}

COwnerDrawStatic::~COwnerDrawStatic()
{
}

BEGIN_MESSAGE_MAP(COwnerDrawStatic, CStatic)
END_MESSAGE_MAP()
