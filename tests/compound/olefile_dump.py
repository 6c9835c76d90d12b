# Lists the streams directly below the root of a compound file with another
# reader of the format (olefile) and writes each stream's bytes to a folder:
# one line "index<TAB>name<TAB>size" per stream, the bytes in <index>.bin.
# With "strict" as third argument every irregularity the reader notices in
# the structure is an error.
import os
import sys

import olefile

container, out_dir = sys.argv[1], sys.argv[2]
strict = len(sys.argv) > 3 and sys.argv[3] == "strict"
ole = olefile.OleFileIO(container, raise_defects=olefile.DEFECT_POTENTIAL if strict else olefile.DEFECT_FATAL)
streams = [e for e in ole.listdir(streams=True, storages=False) if len(e) == 1]
with open(os.path.join(out_dir, "list.txt"), "w", encoding="utf-8") as listing:
    for index, entry in enumerate(streams):
        data = ole.openstream(entry).read()
        with open(os.path.join(out_dir, "%d.bin" % index), "wb") as f:
            f.write(data)
        listing.write("%d\t%s\t%d\n" % (index, entry[0], ole.get_size(entry[0])))
