%include l
%writeln [%F 1, "x":] {column.name}
%for_each_column
%begin
%if {column.islast} == 1
%begin
last {column.name}
%end
%else
%begin
%align left 8 "." {column.sqltype}
%end
%end
