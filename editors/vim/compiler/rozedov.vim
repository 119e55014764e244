" Vim compiler file
" Compiler:    rozedov, the Vorn cross-assembler
" Use:         :compiler rozedov, then :make assembles the current file; the
"              errors, warnings and notes land in the quickfix list with
"              file, line and column.

if exists("current_compiler")
  finish
endif
let current_compiler = "rozedov"

if exists(":CompilerSet") != 2
  command -nargs=* CompilerSet setlocal <args>
endif

let s:cpo_save = &cpo
set cpo&vim

CompilerSet makeprg=rozedov\ -l\ %:S

" file:line:col: kind: text, and the same without a column; every other line
" (the numbered messages, the quoted source line, the caret) is left out.
CompilerSet errorformat=
      \%f:%l:%c:\ %trror:\ %m,
      \%f:%l:%c:\ %tarning:\ %m,
      \%f:%l:%c:\ %tote:\ %m,
      \%f:%l:\ %trror:\ %m,
      \%f:%l:\ %tarning:\ %m,
      \%-G%.%#

let &cpo = s:cpo_save
unlet s:cpo_save
