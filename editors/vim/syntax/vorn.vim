" Vim syntax file
" Language: Vorn assembly (rozedov cross-assembler)
" Files:    *.vorn, *.vs (see ftdetect/vorn.vim)

if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

" Identifiers are letters, digits, "_" and "."; a leading "." is allowed.
syn iskeyword @,48-57,_,.

" Mnemonics, registers and the statement separator: any letter case.
syn case ignore
syn keyword vornInstruction mov add sub and or not inc dec shl shr ashl ashr ld st
syn keyword vornJump        jmp jmpz jmps jmpc jmpnz jmpns jmpnc
syn keyword vornRegister    r0 r1 r2 r3 r4 r5 r6 r7
syn keyword vornSeparator   __NEW_LINE__
syn case match

" Section directives are lower case only.
syn keyword vornSection .text .data

" Macros every source sees.
syn keyword vornPredefined __HASH__ __VANTIC_TC__

syn match vornLabel    "\<\h\k*\ze\s*:"
syn match vornLabel    "\.\k*\ze\s*:"
syn match vornDecimal  "\<\d\+\>"
syn match vornHex      "\<0[xX]\x*\>"
syn match vornOperator "<<\|>>\|[-+*/%&|~=]"

syn match  vornComment "//.*$"  contains=vornTodo,@Spell
syn match  vornComment ";.*$"   contains=vornTodo,@Spell
syn region vornComment start="/\*" end="\*/" contains=vornTodo,@Spell
syn keyword vornTodo contained TODO FIXME XXX NOTE

" Preprocessor lines: #include with its file, #define/#undef with the name.
syn region vornPreProc start="^\s*#\s*\(if\|ifdef\|ifndef\|elif\|else\|endif\|error\|warning\|line\|pragma\)\>" skip="\\$" end="$" contains=vornComment
syn region vornDefine  start="^\s*#\s*\(define\|undef\)\>" skip="\\$" end="$" contains=vornComment,vornDecimal,vornHex,vornOperator
syn match  vornInclude "^\s*#\s*include\>\s*\(\"[^\"]*\"\|<[^>]*>\)"

hi def link vornInstruction Statement
hi def link vornJump        Conditional
hi def link vornRegister    Identifier
hi def link vornSeparator   Delimiter
hi def link vornSection     Special
hi def link vornPredefined  Macro
hi def link vornLabel       Label
hi def link vornDecimal     Number
hi def link vornHex         Number
hi def link vornOperator    Operator
hi def link vornComment     Comment
hi def link vornTodo        Todo
hi def link vornPreProc     PreProc
hi def link vornDefine      Define
hi def link vornInclude     Include

let b:current_syntax = "vorn"

let &cpo = s:cpo_save
unlet s:cpo_save
