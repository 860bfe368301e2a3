#include "platform/ServicesLibrary.h"

// The library's one exported symbol; everything else in it stays hidden.
extern "C" [[gnu::visibility("default")]] const folioport::platform::services::Table folioport_services_table{
    .prepare =
        [] {
            folioport::platform::services::curlPrepare();
            folioport::platform::services::secretServicePrepare();
        },
    .send = &folioport::platform::services::curlSend,
    .lookup = &folioport::platform::services::secretServiceLookup,
    .store = &folioport::platform::services::secretServiceStore,
    .unlock = &folioport::platform::services::secretServiceUnlock,
};
