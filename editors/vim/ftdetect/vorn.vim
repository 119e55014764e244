" Vorn assembly source files: *.vorn always; *.vs unless another plugin
" already claimed the buffer; *.s and *.S when the text uses instructions
" only Vorn has (conditional jumps such as jmpnz, ashl, ashr) or its
" statement separator.
autocmd BufRead,BufNewFile *.vorn set filetype=vorn
autocmd BufRead,BufNewFile *.vs setfiletype vorn
autocmd BufRead *.s,*.S call s:DetectVornAssembly()

let s:vorn_only = '\c^\s*\%([A-Za-z_.][A-Za-z0-9_.]*\s*:\s*\)\=\%(jmpn\=[zsc]\|ashl\|ashr\)\s'

function! s:DetectVornAssembly() abort
  for l:line in getline(1, 200)
    if l:line =~ s:vorn_only || l:line =~? '__NEW_LINE__'
      set filetype=vorn
      return
    endif
  endfor
endfunction
