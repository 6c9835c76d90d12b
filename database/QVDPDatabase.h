/* QVDPDatabase: fixed-size records in one file.
 *
 * A file is a 16-byte header (magic DC 91 2E 6B, two format words, record
 * size, blob size; little-endian), the header blob, then the records back to
 * back. The record count is derived from the file size. A handle keeps the
 * file open without sharing, so a second open of the same file, from this or
 * another process, fails with 5 until QVDP_DBClose. Every record this suite
 * writes begins with a 16-byte GUID, the key of QVDP_DBLocateRecord.
 *
 * Results are status codes (0 = success):
 *   1  Bad Parameters   null handle or argument; QVDP_DBOpen on an empty
 *                       file without a header, or with a header whose record
 *                       size is 0 or whose blob is missing
 *   4  No Memory        a buffer could not be allocated
 *   5  Cannot open database
 *   23 IO error         a failed or short read or write of a record; also
 *                       QVDP_DBGetRecord with the cursor at the end position
 *   24 Seek error       a record position beyond 2 GiB
 *   25 EOF error        QVDP_DBDeleteRecord on an empty database; also
 *                       QVDP_DBUpdateRecord and QVDP_DBDeleteRecord with the
 *                       cursor at or past the end position (nothing changes)
 *   28 Record not found
 *   62 Read file error  QVDP_DBOpen: the file is not a database (short
 *                       header, wrong magic, record size 0, blob larger than
 *                       the file) or cannot be read; the file is not modified
 *   63 Write file error QVDP_DBOpen: the header of a new file not written
 *
 * A failed insert may leave part of a record at the end of the file. It is
 * not counted, and the next insert writes over it, so it never shifts the
 * records that follow. */
#ifndef QVDP_DATABASE_H
#define QVDP_DATABASE_H

#include "qvdp_types.h"

/* Opens path, creating it when missing. An existing database keeps its stored
 * header; header16 (the 16 on-disk header bytes) and blob are written only
 * into an empty file. On success *handle holds the handle and the cursor is 0. */
QV_EXPORT int32_t QVDP_DBOpen(const char *path, void **handle, const void *header16, const void *blob);
QV_EXPORT int32_t QVDP_DBClose(void *h);

/* The record count (0 for a null handle). */
QV_EXPORT int32_t QVDP_DBGetNumRecord(void *h);

/* Cursor moves. Prior stops at 0; Last goes to the end position (= count). */
QV_EXPORT int32_t QVDP_DBFirst(void *h);
QV_EXPORT int32_t QVDP_DBNext(void *h);
QV_EXPORT int32_t QVDP_DBPrior(void *h);
QV_EXPORT int32_t QVDP_DBLast(void *h);
/* 1 when the cursor is at or past the end (and for a null handle), else 0. */
QV_EXPORT int32_t QVDP_DBEof(void *h);

/* Copies min(bufferSize, record size) bytes of the record at the cursor;
 * the rest of the buffer is left untouched. */
QV_EXPORT int32_t QVDP_DBGetRecord(void *h, uint32_t bufferSize, void *buffer);
/* Appends a record (record size bytes); the cursor moves to it. */
QV_EXPORT int32_t QVDP_DBInsertRecord(void *h, const void *record);
/* Overwrites the record at the cursor. */
QV_EXPORT int32_t QVDP_DBUpdateRecord(void *h, const void *record);
/* Removes the record at the cursor; the cursor then addresses the record
 * that followed, or the end position. */
QV_EXPORT int32_t QVDP_DBDeleteRecord(void *h);
/* Moves the cursor to the first record whose first 16 bytes equal key16;
 * 28 with the cursor unchanged when none does. */
QV_EXPORT int32_t QVDP_DBLocateRecord(void *h, const void *key16);

#endif
