// Puts the resource sections into every program that links this library:
// the bytes tools/resgen made at build time (see ModuleResources.h), as
// sections without the alloc flag, so they stay in the file but are never
// loaded. Dump them with
//   objcopy --dump-section .kelvora.version=version.bin kelvora /dev/null
// The build defines the two file names and rebuilds this file when they change.
#ifndef KELVORA_VERSION_BLOCK_FILE
#error "KELVORA_VERSION_BLOCK_FILE must name the generated version block"
#endif
#ifndef KELVORA_RESOURCE_TABLE_FILE
#error "KELVORA_RESOURCE_TABLE_FILE must name the generated resource table"
#endif

asm(".pushsection .kelvora.version,\"\",@progbits\n"
    ".balign 4\n"
    ".incbin \"" KELVORA_VERSION_BLOCK_FILE "\"\n"
    ".popsection\n"
    ".pushsection .kelvora.rsrc,\"\",@progbits\n"
    ".balign 4\n"
    ".incbin \"" KELVORA_RESOURCE_TABLE_FILE "\"\n"
    ".popsection\n"
    // The reader refers to this byte, which is what links this object in.
    ".pushsection .rodata\n"
    ".globl kelvora_module_resources_anchor\n"
    ".type kelvora_module_resources_anchor, @object\n"
    ".size kelvora_module_resources_anchor, 1\n"
    "kelvora_module_resources_anchor:\n"
    ".byte 1\n"
    ".popsection\n");
