#pragma once

#include "utility/DesktopLaunch.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace zlv::test {

// Catches every address the program hands to the desktop (browser, file manager) for the
// given schemes while it lives, so that no test starts a real program; every hand-over
// succeeds.
class OpenedUrls final : public QObject
{
    Q_OBJECT
public:
    explicit OpenedUrls(const QStringList& schemes = {QStringLiteral("http"),
                                                      QStringLiteral("https"),
                                                      QStringLiteral("file")});
    ~OpenedUrls() override;

    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }

private:
    QStringList m_schemes;
    launch::Launcher m_previous;
};

} // namespace zlv::test
