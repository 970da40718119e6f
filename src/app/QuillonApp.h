#pragma once

#include "platform/afx/Afx.h"

class CQuillonApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
