-- Neovim (0.7 and later) as the server's client: opens a small program and
-- a broken file in a fresh folder, lets the built-in client speak to
-- `rozedov --lsp`, asks for each feature and checks what comes back.
-- Run as: ROZEDOV=/path/to/rozedov nvim --headless --clean -c "luafile check.lua"
-- Prints what it got; quits with status 0 when all is well, 1 otherwise.

local TIMEOUT = 3000

local failures = 0

local function say(text)
  io.stdout:write(text .. '\n')
end

local function check(condition, what)
  if not condition then
    failures = failures + 1
    say('FAIL: ' .. what)
  end
  return condition
end

local function write_file(path, text)
  local file = assert(io.open(path, 'w'))
  file:write(text)
  file:close()
end

-- Line i (0-based) is the program's line i.
local PROGRAM = table.concat({
  '; count down from the limit kept in data memory',
  '.text',
  'start:  sub   R0, R0, R0',
  '        inc   R1, R0',
  '        ld    R2, R1',
  'loop:   dec   R2, R2',
  '        jmpnz loop',
  '        jmp   loop',
  '.data',
  'limit:  10',
  '',
}, '\n')

-- Each instruction or data line: its word address and its word.
local WORDS = {
  [2] = '@0 0400',
  [3] = '@1 0c40',
  [4] = '@2 4081',
  [5] = '@3 0e90',
  [6] = '@4 2a03',
  [7] = '@5 2003',
  [9] = '@0 000a',
}

local BROKEN = '.text\n        moc   R1, R2\n'

-- The text of any hover or completion documentation.
local function text_of(value)
  if type(value) == 'string' then
    return value
  elseif type(value) ~= 'table' then
    return ''
  elseif value.value then
    return value.value
  end
  local parts = {}
  for _, part in ipairs(value) do
    table.insert(parts, text_of(part))
  end
  return table.concat(parts, '\n')
end

local function position(line, character)
  return { line = line, character = character }
end

local function run()
  local program = os.getenv('ROZEDOV')
  assert(program and program ~= '', 'ROZEDOV names no program')
  local folder = vim.fn.tempname()
  vim.fn.mkdir(folder, 'p')
  local main_path = folder .. '/main.s'
  local broken_path = folder .. '/broken.s'
  write_file(main_path, PROGRAM)
  write_file(broken_path, BROKEN)

  local published = {}
  local handlers = {
    ['textDocument/publishDiagnostics'] = function(err, result, ctx, config)
      published[result.uri] = result
      return vim.lsp.handlers['textDocument/publishDiagnostics'](err, result, ctx, config)
    end,
  }
  local client_id = vim.lsp.start_client({
    name = 'rozedov',
    cmd = { program, '--lsp' },
    root_dir = folder,
    handlers = handlers,
  })
  assert(client_id, 'the server did not start')

  vim.cmd('edit ' .. vim.fn.fnameescape(main_path))
  local main = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(main, client_id)
  vim.cmd('edit ' .. vim.fn.fnameescape(broken_path))
  local broken = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(broken, client_id)
  local main_uri = vim.uri_from_bufnr(main)
  local broken_uri = vim.uri_from_bufnr(broken)

  -- Diagnostics: the broken file has one, the program none.
  vim.wait(TIMEOUT, function()
    return #vim.diagnostic.get(broken) > 0 and published[main_uri] ~= nil
  end, 10)
  local client = vim.lsp.get_client_by_id(client_id)
  assert(client and client.initialized, 'the server did not answer initialize')
  local diagnostics = vim.diagnostic.get(broken)
  if check(#diagnostics == 1, 'one diagnostic in broken.s, got ' .. #diagnostics) then
    local d = diagnostics[1]
    say(string.format('diagnostic: broken.s:%d:%d: %s', d.lnum + 1, d.col + 1, d.message))
    check(d.lnum == 1 and d.col == 8, 'the diagnostic stands at the mnemonic')
    check(d.severity == vim.diagnostic.severity.ERROR, 'the diagnostic is an error')
    check(d.message == "unknown instruction 'moc'; did you mean 'mov'?", 'the command line\'s text')
  end
  check(#vim.diagnostic.get(main) == 0, 'main.s has no diagnostics')

  local function request(method, params, bufnr)
    local response, problem = client.request_sync(method, params, TIMEOUT, bufnr or main)
    if not check(response ~= nil, method .. ': no response (' .. tostring(problem) .. ')') then
      return nil
    end
    check(response.err == nil, method .. ': error ' .. vim.inspect(response.err))
    return response.result
  end
  local function at(line, character)
    return { textDocument = { uri = main_uri }, position = position(line, character) }
  end

  -- Inlay hints: the word address and the word at the end of each line that makes one.
  local hints = request('textDocument/inlayHint',
    { textDocument = { uri = main_uri }, range = { start = position(0, 0), ['end'] = position(11, 0) } })
  local by_line = {}
  for _, hint in ipairs(hints or {}) do
    local label = text_of(hint.label)
    by_line[hint.position.line] = label
    say(string.format('hint: line %d: %s', hint.position.line + 1, label))
  end
  for line, word in pairs(WORDS) do
    local label = by_line[line] or ''
    check(label:find(word, 1, true) ~= nil, string.format('line %d hints %s, got "%s"', line + 1, word, label))
    local text = vim.api.nvim_buf_get_lines(main, line, line + 1, true)[1]
    local hint_column = nil
    for _, hint in ipairs(hints or {}) do
      if hint.position.line == line then
        hint_column = hint.position.character
      end
    end
    check(hint_column == #text, string.format('the hint of line %d stands at its end', line + 1))
  end
  check(by_line[0] == nil and by_line[1] == nil and by_line[8] == nil, 'no hint on lines that make no word')

  -- Hover over a mnemonic and over a label's use.
  local hover = request('textDocument/hover', at(5, 9))
  local hover_text = text_of(hover and hover.contents)
  say('hover on dec: ' .. hover_text:gsub('\n', ' | '))
  check(hover_text:find('dec Rd, Ra', 1, true) ~= nil, 'the hover on dec gives its form')
  hover = request('textDocument/hover', at(6, 16))
  hover_text = text_of(hover and hover.contents)
  say('hover on loop: ' .. hover_text:gsub('\n', ' | '))
  check(hover_text:find('loop', 1, true) ~= nil, 'the hover on loop names it')

  -- Definition and references of the label used twice.
  local definition = request('textDocument/definition', at(7, 15))
  if definition and definition.uri then
    definition = { definition }
  end
  if check(definition and #definition == 1, 'one definition of loop') then
    local place = definition[1].range or definition[1].targetRange
    say(string.format('definition of loop: line %d, column %d', place.start.line + 1, place.start.character + 1))
    check(place.start.line == 5 and place.start.character == 0, 'loop is defined on line 6')
  end
  local references = request('textDocument/references',
    vim.tbl_extend('force', at(5, 1), { context = { includeDeclaration = true } }))
  local lines = {}
  for _, reference in ipairs(references or {}) do
    table.insert(lines, reference.range.start.line + 1)
  end
  table.sort(lines)
  say('references of loop: lines ' .. table.concat(lines, ', '))
  check(vim.deep_equal(lines, { 6, 7, 8 }), 'loop is defined once and used twice')

  -- Completion where a mnemonic goes, and where a jump's target goes.
  local function labels(result)
    local items = result and (result.items or result) or {}
    local names = {}
    for _, item in ipairs(items) do
      names[item.label] = item
    end
    return names, #items
  end
  local mnemonics, count = labels(request('textDocument/completion', at(5, 8)))
  say(string.format('completion at a mnemonic: %d items', count))
  check(mnemonics['mov'] ~= nil and mnemonics['jmpnz'] ~= nil, 'mnemonics are offered')
  local targets = labels(request('textDocument/completion', at(6, 14)))
  check(targets['start'] ~= nil and targets['loop'] ~= nil, 'labels are offered after a jump')

  -- Rename: refused for a mnemonic as the new name, applied for a fresh one.
  local refused = client.request_sync('textDocument/rename',
    vim.tbl_extend('force', at(6, 16), { newName = 'mov' }), TIMEOUT, main)
  check(refused and refused.err ~= nil, 'renaming loop to mov is refused')
  if refused and refused.err then
    say('rename to mov: ' .. refused.err.message)
  end
  local edit = request('textDocument/rename', vim.tbl_extend('force', at(6, 16), { newName = 'again' }))
  if check(edit ~= nil, 'rename gives an edit') then
    vim.lsp.util.apply_workspace_edit(edit, client.offset_encoding)
    local text = table.concat(vim.api.nvim_buf_get_lines(main, 0, -1, true), '\n')
    check(text:find('loop', 1, true) == nil, 'no loop is left')
    check(text:find('again:', 1, true) ~= nil, 'the definition is renamed')
    local _, uses = text:gsub('jmpn?z? +again', '')
    check(uses == 2, 'both uses are renamed')
    say('after rename: ' .. vim.api.nvim_buf_get_lines(main, 5, 8, true)[1]:gsub('%s+', ' ') .. ' / ' ..
      vim.api.nvim_buf_get_lines(main, 6, 7, true)[1]:gsub('%s+', ' ') .. ' / ' ..
      vim.api.nvim_buf_get_lines(main, 7, 8, true)[1]:gsub('%s+', ' '))
  end

  vim.lsp.stop_client(client_id)
end

local ok, problem = pcall(run)
if not ok then
  failures = failures + 1
  say('FAIL: ' .. tostring(problem))
end
say(failures == 0 and 'all checks passed' or string.format('%d check(s) failed', failures))
if failures == 0 then
  vim.cmd('qall!')
else
  vim.cmd('cquit 1')
end
