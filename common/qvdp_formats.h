/* The format table and the conversion pairs a document plug-in hands out,
 * shared by the plug-in (which owns the tables) and the services library
 * (which looks formats up in them). Plain C.
 *
 * The rows keep the field order of their 32-bit layout; the pointer fields
 * are native pointers (they keep their meaning, not their width) and a row is
 * never stored in a file. */
#ifndef QVDP_FORMATS_H
#define QVDP_FORMATS_H

#include <stdint.h>

/* Extra test run on a file whose extension matched; 1 accepts, 0 refuses. */
typedef int32_t (*QVDP_Recognizer)(const char *path);

/* QVDP_Format.flags bit 0: copied to the handheld, never synchronized back. */
#define QVDP_FORMAT_TRANSFER_ONLY 0x1u

/* One row of the format table; the table ends with a row whose id is 0.
 * 32-bit layout (40 bytes): id 0, extensions 4, name 8, flags 12,
 * onHandheld 16, onDesktop 20, type 24, creator 28, category 32,
 * recognizer 36. */
typedef struct QVDP_Format {
    int32_t id;                 /* unique, never 0 */
    const char *extensions;     /* upper case with the dot, ";"-separated: ".HTM;.HTML" */
    const char *name;           /* display name */
    uint32_t flags;             /* QVDP_FORMAT_TRANSFER_ONLY */
    uint32_t onHandheld;        /* 1: can be the handheld side of a transfer */
    uint32_t onDesktop;         /* 1: can be the desktop side */
    uint32_t type;              /* handheld database type (four characters), 0 = none */
    uint32_t creator;           /* handheld database creator, 0 = none */
    int32_t category;           /* desktop category: 1 Docs, 2 Spreadsheets, 3 Slides */
    QVDP_Recognizer recognizer; /* may be null */
} QVDP_Format;

/* One conversion pair (8 bytes); each table ends with a pair whose format is 0. */
typedef struct QVDP_Conversion {
    int32_t from;
    int32_t to;
} QVDP_Conversion;

#ifdef __cplusplus
static_assert(sizeof(QVDP_Conversion) == 8, "QVDP_Conversion is 8 bytes");
#endif

#endif
