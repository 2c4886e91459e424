// Every installation step and finish action, for the installation pipeline and
// the setup dialog.
#pragma once

#include "install/ClientConfig.h"
#include "install/Codecs.h"
#include "install/FinishActions.h"
#include "install/FlashPlugin.h"
#include "install/Prerequisites.h"
#include "install/ServiceControl.h"
#include "install/UninstallEntry.h"
#include "install/X264Encoder.h"
