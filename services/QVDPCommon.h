/* QVDPCommon: the device and file services the conduit and the document
 * plug-in link by import. It names, finds, tests and replaces files on the
 * desktop, in handheld RAM and on memory cards, makes unique names, looks
 * formats up in a plug-in's format table, and moves bytes between desktop
 * files and handheld databases or card files.
 *
 * Conventions:
 * - Truth values are int32_t 1 or 0.
 * - Desktop paths are native paths with "/" and at most 259 characters
 *   (buffers of QVDP_MAX_PATH). Card paths are absolute, use "/" and are at
 *   most 259 characters. Handheld RAM names are database names of at most
 *   31 characters (buffers of QVDP_PALM_NAME_SIZE).
 * - A volume argument is a card's 16-bit volume reference; QVDP_RAM_VOLUME
 *   (0xFFFF) means handheld RAM where an export accepts both.
 * - An open card file is the 32-bit file reference of the card file system;
 *   an open desktop file is a file descriptor.
 * - Exports that take a QVDP_Error fill it on failure and never clear it:
 *   the caller clears it before the call and judges success by code == 0.
 * - Output buffers have the fixed sizes given per export. A result that
 *   would not fit is an error (the output is then an empty text), never a
 *   cut or an overrun.
 * - Handheld and card operations run on the HotSync thread only. */
#ifndef QVDPCOMMON_H
#define QVDPCOMMON_H

#include "qvdp_formats.h"
#include "qvdp_types.h"

#include <stdint.h>

#define QVDP_RAM_VOLUME 0xFFFFu
#define QVDP_PALM_NAME_SIZE 32 /* 31 characters and the NUL */

/* ---- Temporary files -------------------------------------------------- */

/* Creates an empty, uniquely named file ("QVPD...") in the temporary folder;
 * out (260) receives its path. 1 on success. */
QV_EXPORT int32_t QVPCGetTempFileName(char *outPath);
/* As QVPCGetTempFileName, then opens the file for reading and writing,
 * without sharing, truncated. Returns the descriptor, or -1. */
QV_EXPORT int QVPCGetTempFileHandle(char *outPath);
/* Creates a uniquely named empty file ("QVPC...") in folder; out (260). */
QV_EXPORT int32_t QVPCGetTempFileInPath(const char *folder, char *outPath);

/* ---- Strings ---------------------------------------------------------- */

/* Two-call text hand-out: null size -> 1. *size on entry is the buffer's
 * size; it is set to the text's length + 1. Null buffer -> 2 (a size query);
 * a buffer smaller than the text -> 2 and nothing copied; otherwise the
 * text is copied with its NUL and 0 returned. */
QV_EXPORT int32_t QVPGetStringVar(const char *text, char *buffer, uint32_t *size);
/* 1 when the two 16-byte values are equal. */
QV_EXPORT int32_t GUIDsEqual(const void *a, const void *b);

/* ---- Name parts (out buffers of 260) ------------------------------------ */

/* The text after the last "/" of a desktop path (the whole path if none). */
QV_EXPORT int32_t QVPCGetOnlyFileName(char *out, const char *path);
/* The text after the last "/" of a card path. */
QV_EXPORT int32_t QVPALMGetOnlyFileName(char *out, const char *path);
/* A desktop path up to and including its last "/"; empty when there is none. */
QV_EXPORT int32_t QVPCGetOnlyFilePath(char *out, const char *path);
/* "/" when the card path does not begin with "/"; otherwise the path up to
 * and including its last "/". */
QV_EXPORT int32_t QVPALMGetOnlyFilePath(char *out, const char *path);
/* Joins a card folder and a name with exactly one "/"; an empty folder
 * gives "/" and the name. 0 when the result would exceed 259 characters. */
QV_EXPORT int32_t QVMakePalmCardPath(char *out, const char *folder, const char *name);

/* ---- Existence tests and folders ---------------------------------------- */

QV_EXPORT int32_t QVPCFileExists(const char *path);
QV_EXPORT int32_t QVPCDirectoryExists(const char *path);
/* 1 when the folder exists or could be created (one level; the parent must exist). */
QV_EXPORT int32_t QVPCCheckPath(const char *path);
/* Database of that name in handheld RAM: 1 found; 0 not found (no error);
 * 0 with kind 4, code 41 and the Sync Manager's answer otherwise. */
QV_EXPORT int32_t QVPALMDBExists(QVDP_Error *error, const char *name);
/* Card file: 1 found; 0 not found (no error); 0 with kind 4, code 91 and
 * the card's answer otherwise. */
QV_EXPORT int32_t QVVFSFileExists(QVDP_Error *error, uint16_t volume, const char *path);
/* QVPALMDBExists for QVDP_RAM_VOLUME (path = database name), else QVVFSFileExists. */
QV_EXPORT int32_t QVHHFileExists(QVDP_Error *error, uint16_t volume, const char *path);
/* 1 when the path can be opened read-only on the card. */
QV_EXPORT int32_t QVVFSDirExists(uint16_t volume, const char *path);
/* 0 when the path can be opened; otherwise creates the folder and returns
 * the card's answer. */
QV_EXPORT int32_t QVVFSCheckDir(uint16_t volume, const char *path);
/* Creates every missing folder along a card file path (not the file name
 * itself); 0, or the first creation error. */
QV_EXPORT int32_t QVVFSCheckPath(uint16_t volume, const char *path);

/* ---- Deleting and replacing ------------------------------------------- */

/* 1 deleted; 0 with kind 2, code 61, the system error and the path. */
QV_EXPORT int32_t QVPCDeleteFile(QVDP_Error *error, const char *path);
/* Replaces target with newFile, the old target kept at backupPath until the
 * new one has its name; on failure the old target is put back. 1 on success.
 * The old file is never lost: if even putting it back fails, it stays at
 * backupPath. */
QV_EXPORT int32_t QVPCReplaceFile(const char *target, const char *newFile, const char *backupPath);
/* Replaces target with tempFile, the old target kept at target + ".$$$"
 * meanwhile. 1 on success; 0 with a file error (kind 2, code 61). */
QV_EXPORT int32_t QVPCReplaceTmpFile(QVDP_Error *error, const char *tempFile, const char *target);
/* Card: deletes an existing target, then renames tempFile (a card path in
 * the same folder) to target's name. 0 or the card's answer. */
QV_EXPORT int32_t QVVFSReplaceFile(uint16_t volume, const char *target, const char *tempFile);

/* ---- Unique names ------------------------------------------------------- */

/* Each tries the name as given first; when it is taken, "(1)" .. "(9998)" is
 * inserted before the extension (from the last "." of the name), the base
 * shortened to keep the length limit. 1 when out holds a free name; 0 when
 * the input is unusable, a test failed (error filled; out = the candidate
 * tested) or every number is taken (out = the last candidate). */
/* Desktop path (out 260); free = no file or folder of that name. */
QV_EXPORT int32_t GenerateUniquePCFileName(const char *path, char *outPath);
/* Handheld RAM name (out 32). Every number taken: kind 1, code 11. */
QV_EXPORT int32_t GenerateUniquePalmName(QVDP_Error *error, const char *name, char *outName);
/* Card file name in folder (out 260 = the name part); the joined path stays
 * within 259 characters. Every number taken: kind 1, code 11. */
QV_EXPORT int32_t GenerateUniqueCardName(QVDP_Error *error, uint16_t volume, const char *folder,
                                         const char *name, char *outName);

/* ---- User folder ------------------------------------------------------ */

/* The HotSync root folder joined with the user's folder (out 260). 0 when
 * the User Manager does not know the user or the path would not fit. */
QV_EXPORT int32_t GetUserFullPath(uint32_t userId, char *outPath);

/* ---- Format lookups ---------------------------------------------------- */

/* The row with that id: *out = row, 0; none: *out = null, 3. */
QV_EXPORT int32_t QVGetFormat(int32_t id, const QVDP_Format *table, const QVDP_Format **out);
QV_EXPORT int32_t QVGetHHFormat(int32_t id, const QVDP_Format *table, const QVDP_Format **out);
/* The handheld database type of the row with that id, or -1. */
QV_EXPORT int32_t QVGetHHType(int32_t id, const QVDP_Format *table);
/* The first row with that handheld type, or null. */
QV_EXPORT const QVDP_Format *QVGetFormatFromHHType(uint32_t type, const QVDP_Format *table);
/* The first conversion listed for the format, or -1. */
QV_EXPORT int32_t QVGetFirstConversion(const QVDP_Conversion *table, int32_t id);
/* Recognises a desktop file by its extension (and the row's recognizer):
 * 0 and *out = the row; 3 when no row accepts it. */
QV_EXPORT int32_t QVRecognizeFileType(const QVDP_Format *table, const char *path, const QVDP_Format **out);
/* Recognises a handheld database by its type: 0 and *out = the row; 3 when
 * no row has its type; 47 when the database is not found. */
QV_EXPORT int32_t QVRecognizePalmFileType(const QVDP_Format *table, const char *name, const QVDP_Format **out);

/* ---- Card transfer (1 on success; failures in the error record) ---------- */

QV_EXPORT int32_t DirectCopyToPalmCard(QVDP_Error *error, int desktopFile, uint32_t cardFile);
QV_EXPORT int32_t DirectCopyFromPalmCard(QVDP_Error *error, int desktopFile, uint32_t cardFile);
QV_EXPORT int32_t DirectCopyFileToPalmCard(QVDP_Error *error, const char *desktopPath, uint32_t cardFile);
QV_EXPORT int32_t DirectCopyFileFromPalmCard(QVDP_Error *error, const char *desktopPath, uint32_t cardFile);

/* ---- Stream databases in handheld RAM ------------------------------------- */

/* The file becomes a database of "DBLK" records (8-byte header, at most 4096
 * data bytes each); an existing database of that name is replaced. A failed
 * copy leaves no database behind. */
QV_EXPORT int32_t StreamCopyToPalmDevice(QVDP_Error *error, int desktopFile, const char *name,
                                         uint32_t creator, uint32_t type);
/* Writes the data of a stream database to the file. A record shorter than
 * its header says is an error (kind 1, code 44). */
QV_EXPORT int32_t StreamCopyFromPalmDevice(QVDP_Error *error, int desktopFile, const char *name);
QV_EXPORT int32_t StreamCopyFileToPalmDevice(QVDP_Error *error, const char *desktopPath, const char *name,
                                             uint32_t creator, uint32_t type);
QV_EXPORT int32_t StreamCopyFileFromPalmDevice(QVDP_Error *error, const char *desktopPath, const char *name);

/* ---- Handheld memory and databases ----------------------------------------- */

/* Free handheld memory in bytes, or -1 (kind 4, code 15). */
QV_EXPORT int32_t QVGetFreeSpaceOnPalmDevice(QVDP_Error *error);
/* 1 when the desktop file fits with reserve bytes left free. 0 without a
 * code means it does not fit; a missing file is kind 1, code 48. */
QV_EXPORT int32_t CheckAvailableSpaceOnPalmDevice(QVDP_Error *error, const char *desktopPath, int32_t reserve);
/* Creates a database on the handheld and opens it (*outHandle). -2 for a
 * name of 32 characters or more; 16395 when it exists and replace is 0 or
 * its creator differs; 0 or the Sync Manager's answer otherwise. */
QV_EXPORT int32_t QVCreatePalmDatabase(uint8_t *outHandle, const char *name, uint32_t creator, uint32_t type,
                                       uint32_t flags, int32_t replace);
/* 1 when the database exists and has that creator. */
QV_EXPORT int32_t QVCheckDBCreatorID(const char *name, uint32_t creator);

#endif
