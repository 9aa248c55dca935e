#include "Sample.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    using namespace maj::sample;
    try {
        bool help = false;
        Options options = parseArguments(app.arguments(), &help);
        if (help) {
            std::fputs(qPrintable(usage()), stdout);
            return 0;
        }
        QElapsedTimer timer;
        timer.start();
        NomenclatureTables codes;
        layOut(options, &codes);
        std::printf("Installation laid out in %s: %d codes, %d patients, %d treatments over %d years (%s).\n",
                    qPrintable(options.drive), options.codes, options.patients, options.treatments, options.years,
                    options.client ? "client workstation" : "server");
        if (!options.medium.isEmpty())
            std::printf("Release medium in %s: %lld codes, %d already in the user's table (%d changed), %d new%s.\n",
                        qPrintable(options.medium), qlonglong(codes.release.size()), codes.sharedCodes,
                        codes.changedCodes, codes.newCodes,
                        options.has(Fault::MissingEattest) ? " (without eattest.mdb)" : "");
        std::printf("Done in %.1f s.\n", timer.elapsed() / 1000.0);
        return 0;
    } catch (const SampleError& e) {
        std::fprintf(stderr, "maj-mkinstall: %s\n", e.what());
    }
    return 1;
}
