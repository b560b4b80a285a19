/* The copy that an array assignment b = a makes of a's block, so that the
   two arrays never share a block (a shared block would be released twice,
   and read after the first release).

   Input: EBX = the source block (may be null). Output: EAX = a new block
   holding the same header and elements, or 0 when EBX is null, its header
   is not one the array templates make (1 to 5 dimensions, element size 1
   to 64, at most 2 GB) or the memory can't be had. The block comes from
   the allocation routine at [EDI+560] (VirtualAlloc). EBX, ECX, EDX, ESI,
   EDI and EBP are preserved; the x87 stack is not touched.

   Like the templates, the code is copied into the code buffer and never
   run in place; it is position independent. */
    .intel_syntax noprefix

#define ARR_ESIZE       4
#define ARR_N           8
#define ARR_DIMS        12
#define ARR_ELEMENTS    64
#define ARRAY_ALLOC     560

    .section .rdata,"dr"
    .globl _ArrayCopyCode
_ArrayCopyCode:
    xor     eax, eax
    test    ebx, ebx
    jz      9f
    push    ecx
    push    edx
    push    esi
    mov     ecx, [ebx+ARR_N]
    cmp     ecx, 1
    jl      7f
    cmp     ecx, 5
    jg      7f
    mov     eax, [ebx+ARR_ESIZE]
    test    eax, eax
    jle     7f
    cmp     eax, 64
    jg      7f
    lea     esi, [ebx+ARR_DIMS]
1:  mul     dword ptr [esi]
    jc      7f                          /* more than 4 GB */
    add     esi, 4
    dec     ecx
    jnz     1b
    cmp     eax, 0x7FFF0000
    jae     7f
    add     eax, ARR_ELEMENTS
    mov     esi, eax                    /* bytes to copy */
    cmp     dword ptr [edi+ARRAY_ALLOC], 0
    je      7f
    push    4                           /* PAGE_READWRITE */
    push    0x1000                      /* MEM_COMMIT */
    push    eax
    push    0
    call    dword ptr [edi+ARRAY_ALLOC]
    test    eax, eax
    jz      8f
    push    edi
    mov     edi, eax
    mov     ecx, esi
    mov     esi, ebx
    cld
    rep movsb
    pop     edi
    jmp     8f
7:  xor     eax, eax
8:  pop     esi
    pop     edx
    pop     ecx
9:
    .globl _ArrayCopyCodeEnd
_ArrayCopyCodeEnd:
    .byte 0
