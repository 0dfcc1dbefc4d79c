#include "support/OpenedUrls.h"

#include <QDesktopServices>

namespace zlv::test {

OpenedUrls::OpenedUrls(const QStringList& schemes) : m_schemes(schemes)
{
    for (const QString& scheme : m_schemes) {
        QDesktopServices::setUrlHandler(scheme, this, "open");
    }
}

OpenedUrls::~OpenedUrls()
{
    for (const QString& scheme : m_schemes) {
        QDesktopServices::unsetUrlHandler(scheme);
    }
}

} // namespace zlv::test
