#include "support/OpenedUrls.h"

#include "utility/DesktopLaunch.h"

#include <QDesktopServices>

namespace zlv::test {

OpenedUrls::OpenedUrls(const QStringList& schemes) : m_schemes(schemes)
{
    for (const QString& scheme : m_schemes) {
        QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    m_previous = launch::SetLauncher(
        [this](const QUrl& url, const std::function<void(const launch::Outcome&)>& done) {
            if (m_schemes.contains(url.scheme())) {
                urls << url;
            }
            done({});
        });
}

OpenedUrls::~OpenedUrls()
{
    launch::SetLauncher(std::move(m_previous));
    for (const QString& scheme : m_schemes) {
        QDesktopServices::unsetUrlHandler(scheme);
    }
}

} // namespace zlv::test
