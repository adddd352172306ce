#include "app/cfgnotifier.h"

CfgNotifier* CfgNotifier::instance()
{
    static CfgNotifier notifier;
    return &notifier;
}
