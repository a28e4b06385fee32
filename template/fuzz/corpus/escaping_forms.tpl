%templatetype MorvexFylatek.Template
%targetfilename {table.name}.out
-- {project.name:line} {desc.description:line}
CREATE TABLE {table.name:sqlident} ({table.name:sqlstr});
%for_each_column
%begin
%writeln {column.name:sqlident} {column.name:mssqlident} {column.name:mssqlstr} {column.name:pystr} {column.name:shword} {column.name:xml} {column.name:md} {column.name:len} {column.name:nosuch}
%end
%for_each_index
%begin
%write {thisindex.name:mssqlident} ({desc.description:mssqlstr})
%for_each_idx_column
%begin
%write {thisidxcol.name:sqlident}{{column.name}:sqlident}
%end
%writeln
%end
%writeln %F {desc.description:pystr}, {project.name:shword}: {table.name:md}
%writeln {desc.description:xml}{{desc.description}}{desc.{column.name}:len}
%include l
