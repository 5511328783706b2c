// Seeds of the picture-decoding harness: the shared small pictures, as they are.
#include "seed_pictures.h"
#include "seed_writer.h"

bool WriteSeeds() {
    bool ok = true;
    for (const SeedPicture& p : SeedPictures()) ok &= hqlv::fuzzseed::Seed(p.name, p.bytes);
    return ok;
}
