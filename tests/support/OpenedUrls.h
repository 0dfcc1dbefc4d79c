#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace zlv::test {

// Catches every address the program hands to the desktop (browser, file manager) for the
// given schemes while it lives, so that no test starts a real program.
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
};

} // namespace zlv::test
