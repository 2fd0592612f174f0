#include "app/AppInfo.h"

namespace app {

QString versionText() {
    return QStringLiteral(MANAGER_VERSION);
}
QString applicationName() {
    return QStringLiteral("Instrument Manager");
}
QString applicationDescription() {
    return QStringLiteral("Configuration and data download for the Lumatrix and Quorvane instruments");
}
QString makerMail() {
    return QStringLiteral("support@instruments.example.invalid");
}
QString makerWeb() {
    return QStringLiteral("https://www.instruments.example.invalid");
}

} // namespace app
