// Placeholder until the template is described.
#include <QFile>
int main(int argc, char** argv) {
    if (argc < 2) return 2;
    QFile f(QString::fromLocal8Bit(argv[1]));
    return f.open(QIODevice::WriteOnly) ? 0 : 1;
}
