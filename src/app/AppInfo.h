#pragma once

#include <QString>

namespace app {

// Major "." minor of the build, e.g. "2.4".
QString versionText();
QString applicationName();
QString applicationDescription();

// The maker's contact details shown in the About box (placeholders).
QString makerMail();
QString makerWeb();

} // namespace app
