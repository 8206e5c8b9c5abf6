// Prints the text on the desktop's clipboard, for the end-to-end tests: they copy what a
// window shows as a person would (select all, copy) and read it here. Exits 1 when the
// clipboard holds no text (Qt gives up on an owner that does not answer after 5 s).

#include <QClipboard>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    return text.isEmpty() ? 1 : 0;
}
