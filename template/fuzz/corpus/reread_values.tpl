%templatetype MorvexFylatek.Template
%targetfilename out.txt
%include l
%F {table.name}, {desc.description}
%writeln [%F {desc.description}, {table.name}: {project.name}]
%template.generate {table.name}
%writeln {desc.description:mssqlstr}
