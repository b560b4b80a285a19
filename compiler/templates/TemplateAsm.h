/* Common definitions of the template assembler sources (GNU as, Intel
   syntax, preprocessed .S files).

   A template is written between TEMPLATE name and END_TEMPLATE name:

       TEMPLATE add_rc
           faddp   st(2), st
           fxch    st(1)
       END_TEMPLATE add_rc

   which defines the labels tpl_<name> and tpl_<name>_end that the template
   table (compiler/templates/TemplateList.h) refers to. The code sits in
   read-only data: it is never run in place, only copied (first by the
   constant fix-up, then by the compiler into its code buffer). A zero byte
   follows each template, so an empty template points at a zero byte.

   Conventions every template keeps (the code generator relies on them):
   operands on the x87 stack, first operand deepest, component 0 of each
   operand in its top-most register; the result replaces the operands,
   component 0 on top; registers below the operands are not touched; at
   most scratchRegisters registers above the operands are used; position
   independent (jumps and calls stay inside the template, absolute
   addresses only through the RC_* placeholders); no RET at the end.
   EDI, EBP, ESP, EBX, ECX, EDX and ESI are preserved (push/pop them when
   needed); EAX and the flags may change; the frame bytes [EBP-128] to
   [EBP-1] are free scratch memory; non-comparison templates use no
   FCOMI/FCMOV (those run on processors without CMOV too). */
#include "RuntimeConstants.h"

    .intel_syntax noprefix

.macro TEMPLATE name
    .section .rdata,"dr"
    .globl _tpl_\name
_tpl_\name:
.endm

.macro END_TEMPLATE name
    .globl _tpl_\name\()_end
_tpl_\name\()_end:
    .byte 0
.endm
