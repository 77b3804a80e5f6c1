// Anchor of the platform library; the operating-system services live in files of their own.
#include "platform/com.h"
